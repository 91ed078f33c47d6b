# The Windows program: the Win32 backend, brix.dll with plain export names, static runtimes,
# a ZIP made by CPack, and the platform-independent tests run under Wine.

# Static libstdc++, libgcc and winpthread: nothing to ship beyond Windows' own DLLs and brix.dll.
set(HALVENT_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_subdirectory(brix)
add_subdirectory(record)

file(GLOB HALVENT_CORE_SOURCES CONFIGURE_DEPENDS
     app/*.cpp platform/win32/*.cpp sensor/*.cpp gui/*.cpp training/*.cpp render/*.cpp)
list(REMOVE_ITEM HALVENT_CORE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp
     # in halvent_record, which the core links
     ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/file_replace.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/wide_text.cpp)
# The parts of the platform layer that both backends share.
list(APPEND HALVENT_CORE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/frame_pace.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/platform/ticks.cpp)
add_library(halvent_core STATIC ${HALVENT_CORE_SOURCES})
target_include_directories(halvent_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(halvent_core PUBLIC HALVENT_VERSION="${PROJECT_VERSION}")
target_link_libraries(halvent_core PUBLIC brix halvent_record opengl32 gdi32 winmm user32 shell32)
target_compile_options(halvent_core PRIVATE ${HALVENT_WARNINGS})
# GL/gl.h pulls in <windows.h> unless these two are known; above platform/ they are given, so
# only the Win32 backend sees the Windows headers.
set(HALVENT_GL_WITHOUT_WINDOWS_H APIENTRY=__stdcall WINGDIAPI=__declspec\(dllimport\))
foreach(source ${HALVENT_CORE_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp)
    if(NOT source MATCHES "/platform/win32/")
        set_property(SOURCE ${source} APPEND PROPERTY COMPILE_DEFINITIONS
                     ${HALVENT_GL_WITHOUT_WINDOWS_H})
    endif()
endforeach()

add_executable(halvent WIN32 app/main.cpp)
target_link_libraries(halvent PRIVATE halvent_core brix)
target_compile_options(halvent PRIVATE ${HALVENT_WARNINGS})
target_link_options(halvent PRIVATE ${HALVENT_STATIC_RUNTIME})

if(HALVENT_TESTS)
    enable_testing()
    add_subdirectory(tests/windows)
endif()

include(packaging/windows.cmake)
