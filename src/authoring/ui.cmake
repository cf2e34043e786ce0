# The builder dialog and the desktop colour picker (Qt), over the authoring core.
# Included from src/CMakeLists.txt, hence the absolute paths.
add_library(hemlo_authoring_ui STATIC
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_form.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_form.h
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_color_tab.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_color_tab.h
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_style_tab.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_style_tab.h
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_table_tab.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_table_tab.h
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_widgets.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/setting_widgets.h
  ${CMAKE_SOURCE_DIR}/src/authoring/disp_cap_form.cpp
  ${CMAKE_SOURCE_DIR}/src/authoring/disp_cap_form.h
)
target_include_directories(hemlo_authoring_ui PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(hemlo_authoring_ui PUBLIC
  hemlo_authoring hemlo_base_ui hemlo_sjis_ui Qt6::Widgets Qt6::WebEngineWidgets)
# The table tab's test view is the host's own web view.
target_link_libraries(hemlo_authoring_ui PUBLIC hemlo_webview_ui)
