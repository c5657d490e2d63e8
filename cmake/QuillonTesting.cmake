# GoogleTest is built from Debian's sources in both trees, so the cross compiler gets its own copy.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QUILLON_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  find_program(QUILLON_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  find_program(QUILLON_WINESERVER wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
  find_file(QUILLON_WINE_MARLETT marlett.ttf PATHS /usr/share/wine/fonts NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            REQUIRED)
  set(QUILLON_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# quillon_add_test(<name> SOURCES ... LIBS ... [LABELS ...] [WINE_LOCALES <locale>...]
#                  [SMALL_SCREEN <filter>])
# One GoogleTest executable whose cases ctest lists at test time (discovery at build time would need Wine
# while building). WINE_LOCALES: the windows tree runs the cases again in the Wine prefix of each locale
# (another ANSI code page; see wine-run), named with the locale as suffix. SMALL_SCREEN: the cases that
# the filter names run again in the prefix of a small screen at 150 %, with the suffix .small-screen.
function(quillon_add_test name)
  cmake_parse_arguments(ARG "" "SMALL_SCREEN" "SOURCES;LIBS;LABELS;WINE_LOCALES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  set(properties TIMEOUT 120)
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  foreach(locale IN LISTS ARG_WINE_LOCALES)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_SUFFIX ".${locale}"
                         PROPERTIES ${properties} ENVIRONMENT "QUILLON_WINE_LOCALE=${locale}")
  endforeach()
  if(ARG_SMALL_SCREEN)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_SUFFIX ".small-screen"
                         TEST_FILTER "${ARG_SMALL_SCREEN}"
                         PROPERTIES ${properties} ENVIRONMENT "QUILLON_WINE_SCREEN=small")
  endif()
endfunction()
