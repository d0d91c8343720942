# Packages an operator can download (scripts/package runs CPack):
#   Windows build: joinwright-<version>-windows-x64.zip
#   Linux build:   joinwright-<version>-linux-x64.tar.gz
# Each holds the window, the command line, the help file and a short
# README.txt in one folder: the window makes its output folders and finds
# its help file beside itself, so the programs stay together in a folder of
# the operator's (not spread over /usr).
if(WIN32)
  set(JW_PACKAGE_SYSTEM windows-x64)
  set(JW_PACKAGE_README ${PROJECT_SOURCE_DIR}/packaging/README-windows.txt)
else()
  set(JW_PACKAGE_SYSTEM linux-x64)
  set(JW_PACKAGE_README ${PROJECT_SOURCE_DIR}/packaging/README-linux.txt)
endif()

if(TARGET joinwright)
  install(TARGETS joinwright RUNTIME DESTINATION . COMPONENT programs)
  install(FILES $<TARGET_FILE_DIR:joinwright>/JoinwrightHelp.chm DESTINATION . COMPONENT programs)
endif()
if(TARGET joinwright-cli)
  install(TARGETS joinwright-cli RUNTIME DESTINATION . COMPONENT programs)
endif()
install(FILES ${JW_PACKAGE_README} DESTINATION . RENAME README.txt COMPONENT programs)

# Packing builds only what scripts/package built before it, not every target.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME joinwright)
set(CPACK_PACKAGE_VENDOR Joinwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME joinwright-${PROJECT_VERSION}-${JW_PACKAGE_SYSTEM})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL programs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
include(CPack)
