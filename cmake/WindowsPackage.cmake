# The Windows packages (scripts/windows): one install tree, flat, as common/Places.cpp expects it
# of a program folder: the programs, the DLLs they load, Qt's plugins in their folders, the
# catalogue, the demo firmware and the licences. CPack makes from it the portable zip and the
# per-user NSIS installer; the Debian package is packaging/'s, made on Linux only.
set(VERNO_WINDOWS_PROGRAMS FirmwareUpdate verno-update verno-fwr)
install(TARGETS ${VERNO_WINDOWS_PROGRAMS} RUNTIME DESTINATION .)
install(FILES ${VERNO_CATALOGUE_FILE} ${VERNO_BUNDLE_DIR}/VERNO.1B.FWR DESTINATION .)
# Qt looks for its plugins in folders beside the program; the style gives the window the
# system's own look.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

# Qt's own words (Yes, No, Cancel) in the program's other four languages: Debian's translations
# of this Qt, found through the qt.conf beside the programs. The build's test and program runs
# under wine get a qt.conf too, which adds the same translations to the cache's Qt.
set(_verno_qt_translations /usr/share/qt6/translations)
foreach(language de fr it es)
  set(file ${_verno_qt_translations}/qtbase_${language}.qm)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: run scripts/deps")
  endif()
  install(FILES ${file} DESTINATION translations)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/qt.conf DESTINATION .)
foreach(folder ${CMAKE_BINARY_DIR}/tests ${VERNO_BUNDLE_DIR})
  file(WRITE ${folder}/qt.conf "[Paths]\nPrefix = Z:${VERNO_WIN_PREFIX}\nTranslations = Z:${_verno_qt_translations}\n")
endforeach()

# The licences, from the Debian packages the shipped pieces were built from: ours; Qt's (LGPL 3,
# which builds on the GPL 3; the libraries Qt bundles are in its record) and Qt Serial Port's;
# SQLite's; the GCC runtime's (with its library exception) and mingw-w64's (winpthreads).
set(_verno_licences
  "${PROJECT_SOURCE_DIR}/packaging/copyright:verno-update.txt"
  "/usr/share/doc/qt6-base-dev/copyright:Qt.txt"
  "/usr/share/doc/qt6-serialport-dev/copyright:Qt-Serial-Port.txt"
  "/usr/share/common-licenses/LGPL-3:LGPL-3.txt"
  "/usr/share/common-licenses/GPL-3:GPL-3.txt"
  "/usr/share/doc/libsqlite3-dev/copyright:SQLite.txt"
  "/usr/share/doc/gcc-mingw-w64-base/copyright:GCC-runtime.txt"
  "/usr/share/doc/mingw-w64-common/copyright:mingw-w64.txt")
foreach(pair IN LISTS _verno_licences)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  if(NOT EXISTS "${from}")
    message(FATAL_ERROR "${from} is missing: run scripts/windows, which installs the packages that hold it")
  endif()
  install(FILES "${from}" DESTINATION licences RENAME "${to}")
endforeach()

# The DLLs come from the programs' and plugins' imports (cmake/WindowsBundle.cmake), found in
# the compiler's and Qt's folders; what is found nowhere there is Windows' own.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE _verno_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_verno_gcc_dlls "${_verno_libstdcxx}" DIRECTORY)
set(_verno_dll_folders "${_verno_gcc_dlls}" "/usr/${VERNO_MINGW_TRIPLE}/lib" "${VERNO_WIN_PREFIX}/bin")
install(CODE "
  set(VERNO_DLL_FOLDERS \"${_verno_dll_folders}\")
  set(VERNO_OBJDUMP \"${CMAKE_OBJDUMP}\")
  set(VERNO_STRIP \"${CMAKE_STRIP}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WindowsBundle.cmake)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME verno-update)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR QEL)
set(CPACK_PACKAGE_FILE_NAME verno-update-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update for the VERNO 1B dive computer")
# The folder common/Places.cpp knows as installed: verno-update under Programs.
set(CPACK_PACKAGE_INSTALL_DIRECTORY verno-update)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY verno-update)
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/CPackOptions.cmake)
set(CPACK_NSIS_PACKAGE_NAME "VERNO 1B Firmware Update")
set(CPACK_NSIS_DISPLAY_NAME "VERNO 1B Firmware Update")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
include(CPack)
