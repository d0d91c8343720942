# What a cross build of the Windows programs needs beyond the toolchain file:
#   - {fmt}, CLI11 and nlohmann-json from Debian's headers, header-only, seen
#     through a folder of links so the build machine's /usr/include never
#     lands on the Windows compiler's include path;
#   - GoogleTest compiled from Debian's source package for this target;
#   - wine as the emulator that runs the test programs (and their discovery).
# The packages are offered under the names the Linux build finds them by, so
# every find_package() and target_link_libraries() stays as it is.

set(JW_WINDOWS_HEADERS ${CMAKE_BINARY_DIR}/windows-headers)
set(JW_WINDOWS_PACKAGES ${CMAKE_BINARY_DIR}/windows-packages)
file(MAKE_DIRECTORY ${JW_WINDOWS_HEADERS})

# name: find_package() name; target: the target it defines; folder: the one
# header folder under /usr/include; defines: compile definitions for users.
function(jw_header_only_package name target folder defines)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/bootstrap")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${JW_WINDOWS_HEADERS}/${folder} SYMBOLIC)
  set(dir ${JW_WINDOWS_PACKAGES}/${name})
  file(WRITE ${dir}/${name}Config.cmake
    "if(NOT TARGET ${target})\n"
    "  add_library(${target} INTERFACE IMPORTED)\n"
    "  set_target_properties(${target} PROPERTIES\n"
    "    INTERFACE_INCLUDE_DIRECTORIES \"${JW_WINDOWS_HEADERS}\"\n"
    "    INTERFACE_COMPILE_DEFINITIONS \"${defines}\")\n"
    "endif()\n")
  set(${name}_DIR ${dir} CACHE PATH "${name} for the Windows build (header-only)" FORCE)
endfunction()

jw_header_only_package(fmt fmt::fmt fmt FMT_HEADER_ONLY)
jw_header_only_package(CLI11 CLI11::CLI11 CLI "")
jw_header_only_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann "")

if(JW_BUILD_TESTS)
  set(gtest_source /usr/src/googletest/googletest)
  if(NOT EXISTS ${gtest_source}/src/gtest-all.cc)
    message(FATAL_ERROR "${gtest_source} is missing: run scripts/bootstrap (package googletest)")
  endif()
  add_library(jw_gtest STATIC ${gtest_source}/src/gtest-all.cc)
  target_include_directories(jw_gtest SYSTEM PUBLIC ${gtest_source}/include PRIVATE ${gtest_source})
  add_library(jw_gtest_main STATIC ${gtest_source}/src/gtest_main.cc)
  target_link_libraries(jw_gtest_main PUBLIC jw_gtest)
  add_library(GTest::gtest ALIAS jw_gtest)
  add_library(GTest::gtest_main ALIAS jw_gtest_main)
  set(GTest_FOUND TRUE)

  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/wine-run ${CMAKE_BINARY_DIR}/wineprefix)
endif()
