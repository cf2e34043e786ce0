# Tests of the transfer operations (included from CMakeLists.txt here). They
# start vsftpd and pyftpdlib on loopback ports and a scripted server of
# their own.
hemlo_add_test(transfer_ops_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_ops_test.cpp
  LIBS hemlo_transfer_ops hemlo_ftp_test_servers)
hemlo_add_test(folder_upload_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/folder_upload_test.cpp
  LIBS hemlo_transfer_ops hemlo_ftp_test_servers)
hemlo_add_test(remote_delete_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/remote_delete_test.cpp
  LIBS hemlo_transfer_ops hemlo_ftp_test_servers)
hemlo_add_test(permission_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/permission_test.cpp
  LIBS hemlo_transfer_ops hemlo_ftp_test_servers)
hemlo_add_test(ftp2_form_ops_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ftp2_form_ops_test.cpp
  LIBS hemlo_transfer_ops_ui hemlo_ftp_test_servers
  GUI FERROX)

# Through the Ferrox window (its wiring target is defined with the window).
hemlo_add_test(window_ops_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_ops_test.cpp
  LIBS hemlo_transfer_wiring Qt6::Test hemlo_ftp_test_servers
  GUI FERROX)
