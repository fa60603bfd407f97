# Windows tests of the window's control site, hosting the real progress bar.
# They register the bar for the time of the test, so they hold the
# registration lock.
velmora_win32_test(window_win_tests SOURCES window_control_site_test.cpp
  FIXTURES mbprgbar_ocx LOCK control_registration)
