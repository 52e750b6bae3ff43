# Read by cpack once per generator: the installer's name says what it is beside the zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "verno-update-${CPACK_PACKAGE_VERSION}-win64-setup")
endif()
