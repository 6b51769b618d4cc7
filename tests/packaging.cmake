# Tests of what the project ships beside its code: the installed tree and the
# guide's pictures. Both are Python scripts (standard library only).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Installs the build into a temporary DESTDIR and checks every file, the
# desktop entry (desktop-file-validate) and the manual page. It needs the whole
# build, as `cmake --install` does.
set(VEM_INSTALL_TEST_ARGS --build-dir ${CMAKE_BINARY_DIR} --cmake ${CMAKE_COMMAND})
if(TARGET vem)
  list(APPEND VEM_INSTALL_TEST_ARGS --with-ui)
endif()
add_test(NAME install_tree
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/install/check_install.py ${VEM_INSTALL_TEST_ARGS})
set_tests_properties(install_tree PROPERTIES LABELS packaging TIMEOUT 300)

# The samples are what samples/make_samples.py writes, and vem-cli still gives
# exactly the pictures docs/guide.md shows.
add_test(NAME samples_and_guide
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/samples/check_samples.py
          --cli $<TARGET_FILE:vem-cli>)
set_tests_properties(samples_and_guide PROPERTIES LABELS packaging TIMEOUT 300)
