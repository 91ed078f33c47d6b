# nlohmann_json::nlohmann_json, the header-only JSON library of Debian's nlohmann-json3-dev.
# The native build takes the package's own CMake files. The mingw cross-build cannot: they
# point at /usr/include, whose glibc headers would shadow mingw's own. It gets a folder in the
# build tree holding only a link to /usr/include/nlohmann instead.
if(NOT CMAKE_CROSSCOMPILING)
    find_package(nlohmann_json 3.9 REQUIRED)
    return()
endif()

find_path(HALVENT_NLOHMANN_JSON_ROOT nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH)
if(NOT HALVENT_NLOHMANN_JSON_ROOT)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
endif()
set(HALVENT_NLOHMANN_JSON_INCLUDE ${CMAKE_BINARY_DIR}/nlohmann-json-include)
file(MAKE_DIRECTORY ${HALVENT_NLOHMANN_JSON_INCLUDE})
file(CREATE_LINK ${HALVENT_NLOHMANN_JSON_ROOT}/nlohmann ${HALVENT_NLOHMANN_JSON_INCLUDE}/nlohmann
     SYMBOLIC)
add_library(halvent_nlohmann_json INTERFACE)
target_include_directories(halvent_nlohmann_json SYSTEM INTERFACE ${HALVENT_NLOHMANN_JSON_INCLUDE})
add_library(nlohmann_json::nlohmann_json ALIAS halvent_nlohmann_json)
