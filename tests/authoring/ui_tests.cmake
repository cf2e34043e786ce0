# GUI tests of the builder dialog and the desktop picker (run under Xvfb).
# Included from tests/CMakeLists.txt, hence the absolute paths.
find_package(Qt6 REQUIRED COMPONENTS Test)
hemlo_add_test(authoring_ui_test GUI
  SOURCES ${CMAKE_SOURCE_DIR}/tests/authoring/setting_form_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/authoring/disp_cap_form_test.cpp
  LIBS hemlo_authoring_ui Qt6::Test)
