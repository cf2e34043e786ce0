# Transfer operations of the Ferrox tool (included from CMakeLists.txt here).
#   hemlo_transfer_ops     core, no Qt: upload, download, folder upload,
#                          remote deletion, permission mode logic
#   hemlo_transfer_ops_ui  the permission dialog TFtp2 (Qt Widgets)
add_library(hemlo_transfer_ops STATIC
  ${CMAKE_CURRENT_LIST_DIR}/transfer_ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_upload.cpp
  ${CMAKE_CURRENT_LIST_DIR}/remote_delete.cpp
  ${CMAKE_CURRENT_LIST_DIR}/permission.cpp
)
target_include_directories(hemlo_transfer_ops PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(hemlo_transfer_ops PUBLIC hemlo_transfer hemlo_ftp hemlo_text hemlo_base)

add_library(hemlo_transfer_ops_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ftp2_form.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ftp2_form.h
)
target_link_libraries(hemlo_transfer_ops_ui PUBLIC hemlo_transfer_ops hemlo_sjis_ui Qt6::Widgets)
