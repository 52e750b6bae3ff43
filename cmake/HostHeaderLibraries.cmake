# CLI11 and nlohmann-json for a cross build: header-only, so the build machine's copies serve,
# but their CMake packages would put /usr/include, the build machine's C library, on the target's
# include path. Each is taken by its own folder instead, through a folder that holds only it.
set(_verno_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_verno_host_headers})
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/deps")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${_verno_host_headers}/${folder} SYMBOLIC)
endforeach()

add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_verno_host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_verno_host_headers})
