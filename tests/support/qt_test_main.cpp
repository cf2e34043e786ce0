// GUI tests run inside one QApplication. Qt WebEngine must be initialised
// before the application object exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#if defined(__SANITIZE_THREAD__)
// Qt, GLib, D-Bus and OpenSSL are not built for ThreadSanitizer: it cannot
// see their locks (Qt's mutexes are bare futexes), so the frees and copies
// they make in their own thread pools look like races. Only accesses from
// code built with it count; every line of ours still is.
extern "C" const char* __tsan_default_options() { return "ignore_noninstrumented_modules=1"; }
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // CTest lists every executable's tests before running any, also when a
  // label picks only the core ones: listing must not need a display.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  // The window's tests never touch the desktop's keyring.
  ::setenv("HEMLO_KEYRING", "off", 1);
  ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
