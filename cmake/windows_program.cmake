# The window program Foliostamp.exe and its tests under Wine.

# Form data and arithmetic that need no windowing: built and tested natively.
add_library(foliostamp_form STATIC
  src/form/layout_table.cpp
  src/form/scroll_math.cpp
  src/commands/message_table.cpp
  src/commands/pdf_path.cpp
  src/commands/report_box.cpp
  src/settings/settings_path.cpp
)
target_include_directories(foliostamp_form PUBLIC src)

if(WIN32)
  enable_language(RC)

  # Everything of the program except its entry point, so the tests can build
  # the real main window inside their own process.
  add_library(foliostamp_window STATIC
    src/app/main_win.cpp
    src/form/form_win.cpp
    src/form/scroll_win.cpp
    src/settings/settings_win.cpp
    src/commands/commands_win.cpp
  )
  # Check PDF reads the PDF as foliostamp-cli verify does, with the same
  # statically linked poppler.
  target_link_libraries(foliostamp_window PUBLIC foliostamp_form foliostamp_verify foliostamp_core
                        comdlg32 gdi32 user32 shell32)

  add_executable(Foliostamp WIN32 src/app/winmain_win.cpp src/app/foliostamp.rc)
  target_link_libraries(Foliostamp PRIVATE foliostamp_window)
  if(MSVC)
    # The resource script carries the manifest; the linker must not add one.
    target_link_options(Foliostamp PRIVATE /MANIFEST:NO)
  endif()
  install(TARGETS Foliostamp RUNTIME DESTINATION .)
endif()

if(FOLIOSTAMP_TESTS)
  if(WIN32)
    add_executable(foliostamp_wine_tests
      tests/wine/wine_support.cpp
      tests/wine/form_test.cpp
      tests/wine/settings_test.cpp
      tests/wine/scroll_test.cpp
      tests/wine/commands_test.cpp
      tests/wine/program_test.cpp
      tests/wine/pdf_check_test.cpp
      tests/wine/keyboard_test.cpp
      tests/wine/test_resources.rc
      tests/native/test_files.cpp
    )
    target_include_directories(foliostamp_wine_tests PRIVATE tests/native)
    target_link_libraries(foliostamp_wine_tests PRIVATE foliostamp_window GTest::gtest_main version)
    # The child-process cases start the real programs from beside the tests.
    add_dependencies(foliostamp_wine_tests Foliostamp foliostamp-cli)
    add_test(NAME wine_window_tests COMMAND foliostamp_wine_tests)
    # Check PDF reads the PDFs that scripts/make-test-pdfs.sh makes.
    set_tests_properties(wine_window_tests PROPERTIES TIMEOUT 900
      ENVIRONMENT "FOLIOSTAMP_TEST_PDFS=${PROJECT_SOURCE_DIR}/build/test-pdfs")
  endif()

  # The portable form data, natively and (in the Windows build) under Wine.
  add_executable(form_data_tests
    tests/native/form_layout_test.cpp
    tests/native/form_scroll_test.cpp
    tests/native/form_settings_path_test.cpp
    tests/native/form_pdf_path_test.cpp
    tests/native/form_report_box_test.cpp
  )
  target_link_libraries(form_data_tests PRIVATE foliostamp_form GTest::gtest_main)
  add_test(NAME form_data_tests COMMAND form_data_tests)
  # Natively the form arithmetic runs under the undefined-behaviour checks:
  # a settings file can feed it any 32-bit values.
  if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    set(form_sanitizers -fsanitize=undefined -fno-sanitize-recover=undefined)
    target_compile_options(foliostamp_form PRIVATE ${form_sanitizers})
    target_compile_options(form_data_tests PRIVATE ${form_sanitizers})
    target_link_options(form_data_tests PRIVATE ${form_sanitizers})
  endif()
endif()
