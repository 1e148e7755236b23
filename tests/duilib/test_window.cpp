int dummy_window_tests;
