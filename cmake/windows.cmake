# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): no Qt, everything linked
# statically, GoogleTest built from source, the header-only libraries taken from the build machine.

enable_language(RC)  # the programs' version resources, the window's icon and manifest
add_link_options($<$<NOT:$<CONFIG:Debug>>:-s>)  # the programs without their symbols: smaller files

# CLI11 and nlohmann-json are headers only; they are linked into a folder of their own, so that
# the build machine's other headers never stand in for Windows ones.
set(host_include ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${host_include})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing (scripts/setup.sh installs it)")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${host_include}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${host_include})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${host_include})

if(BUILD_TESTING OR NOT DEFINED BUILD_TESTING)
  set(ZESTREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian package googletest)")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZESTREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -w)  # not our code: our warning flags do not apply
  endforeach()
endif()

# zestrel_add_version_resource(TARGET DESCRIPTION): the program's version resource (file and product
# version, description, copyright with the licence), as Windows shows it under Properties, Details.
set(ZESTREL_VENDOR "The Zestrel developers")
set(ZESTREL_COPYRIGHT "Copyright (c) 2026 The Zestrel developers. Licensed under the MIT License.")
function(zestrel_add_version_resource target description)
  set(ZESTREL_PROGRAM ${target})
  set(ZESTREL_FILE_DESCRIPTION "${description}")
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/data/windows/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
