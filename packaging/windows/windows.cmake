# The Windows program and what ships with it. Included from the top
# CMakeLists.txt after the tubechain target, when building for Windows.
#
# tubechain.exe is a window program (no console window of its own opens
# beside the game) with the game's icon, version information and a manifest.
# It installs flat, the program beside its DLLs and data, since it enters
# its own folder to read the data; CPack packs that as
# Tubechain-<version>-win64.zip, and as an NSIS installer on request.
enable_language(RC)
set_target_properties(tubechain PROPERTIES WIN32_EXECUTABLE ON)
set(TUBECHAIN_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TUBECHAIN_WINDOWS_OUT ${CMAKE_CURRENT_BINARY_DIR}/windows)

# The icon, made from the game's own PNG icons at build time; the larger two
# stay PNG inside it, as Windows reads them since Vista.
find_program(TUBECHAIN_ICOTOOL icotool REQUIRED)
set(TUBECHAIN_ICON ${TUBECHAIN_WINDOWS_OUT}/tubechain.ico)
set(TUBECHAIN_ICON_ARGUMENTS)
set(TUBECHAIN_ICON_PNGS)
foreach(size 16 32 48 64 128 256)
  set(png ${PROJECT_SOURCE_DIR}/packaging/icons/${size}.png)
  list(APPEND TUBECHAIN_ICON_PNGS ${png})
  if(size GREATER 64)
    list(APPEND TUBECHAIN_ICON_ARGUMENTS --raw=${png})
  else()
    list(APPEND TUBECHAIN_ICON_ARGUMENTS ${png})
  endif()
endforeach()
add_custom_command(OUTPUT ${TUBECHAIN_ICON}
                   COMMAND ${TUBECHAIN_ICOTOOL} --create --output=${TUBECHAIN_ICON} ${TUBECHAIN_ICON_ARGUMENTS}
                   DEPENDS ${TUBECHAIN_ICON_PNGS} VERBATIM)
add_custom_target(tubechain_icon DEPENDS ${TUBECHAIN_ICON})

# Version information from the project's version and the licence's
# copyright line.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE TUBECHAIN_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set(TUBECHAIN_MANIFEST ${TUBECHAIN_WINDOWS_OUT}/tubechain.manifest)
configure_file(${TUBECHAIN_WINDOWS_DIR}/tubechain.manifest.in ${TUBECHAIN_MANIFEST} @ONLY)
configure_file(${TUBECHAIN_WINDOWS_DIR}/tubechain.rc.in ${TUBECHAIN_WINDOWS_OUT}/tubechain.rc @ONLY)
target_sources(tubechain PRIVATE ${TUBECHAIN_WINDOWS_OUT}/tubechain.rc)
set_source_files_properties(${TUBECHAIN_WINDOWS_OUT}/tubechain.rc PROPERTIES OBJECT_DEPENDS
                                                                             "${TUBECHAIN_ICON};${TUBECHAIN_MANIFEST}")
add_dependencies(tubechain tubechain_icon)

# What the zip holds: the program, OpenAL Soft and freealut as built into
# the libraries' prefix, the data, and the texts with Windows line ends.
install(TARGETS tubechain RUNTIME DESTINATION .)
find_file(TUBECHAIN_OPENAL_DLL OpenAL32.dll HINTS ${TUBECHAIN_WINDOWS_PREFIX}/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_file(TUBECHAIN_ALUT_DLL libalut.dll HINTS ${TUBECHAIN_WINDOWS_PREFIX}/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${TUBECHAIN_OPENAL_DLL} ${TUBECHAIN_ALUT_DLL} DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Model ${PROJECT_SOURCE_DIR}/Texture ${PROJECT_SOURCE_DIR}/SFX DESTINATION .
        PATTERN .gitkeep EXCLUDE)
configure_file(${TUBECHAIN_WINDOWS_DIR}/README.txt.in ${TUBECHAIN_WINDOWS_OUT}/README.txt @ONLY NEWLINE_STYLE WIN32)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${TUBECHAIN_WINDOWS_OUT}/LICENSE.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${TUBECHAIN_WINDOWS_OUT}/README.txt ${TUBECHAIN_WINDOWS_OUT}/LICENSE.txt DESTINATION .)
# The libraries' licences, which the build put beside them.
install(DIRECTORY ${TUBECHAIN_WINDOWS_PREFIX}/licenses DESTINATION .)

set(CPACK_PACKAGE_NAME Tubechain)
set(CPACK_PACKAGE_VENDOR "Tubechain maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D puzzle game of turning tubes and chain reactions")
set(CPACK_PACKAGE_FILE_NAME Tubechain-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tubechain)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)

# The installer: 64-bit (Wine and Windows on 64 bits only cannot run
# CPack's default 32-bit one), into Program Files, with a Start-menu entry
# and an uninstaller.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Tubechain)
set(CPACK_NSIS_DISPLAY_NAME Tubechain)
set(CPACK_NSIS_MUI_ICON ${TUBECHAIN_ICON})
set(CPACK_NSIS_MUI_UNIICON ${TUBECHAIN_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME tubechain.exe)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES tubechain Tubechain)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_RESOURCE_FILE_LICENSE ${TUBECHAIN_WINDOWS_OUT}/LICENSE.txt)
include(CPack)
