# The Windows release: one folder in a ZIP with halvent.exe, brix.dll, img/, the settings file
# with every option off (so the first start opens no box), README.txt and the licences.

# The images and sounds are the generator's output (tools/), made on the build machine; the
# committed img/ is that output, and another folder may be given.
set(HALVENT_IMAGE_DIR "${CMAKE_SOURCE_DIR}/img" CACHE PATH "Folder of the run-time images and sounds")

install(TARGETS halvent brix RUNTIME DESTINATION .
        ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL) # no import library
install(DIRECTORY ${HALVENT_IMAGE_DIR}/ DESTINATION img)

# Notepad of older Windows shows a text only with CR LF line ends.
foreach(text README-windows.txt:README.txt ../LICENSE:LICENSE.txt
        ../THIRD-PARTY-NOTICES.md:THIRD-PARTY-NOTICES.txt)
    string(REPLACE ":" ";" names "${text}")
    list(GET names 0 source)
    list(GET names 1 target)
    file(READ ${CMAKE_CURRENT_LIST_DIR}/${source} HALVENT_TEXT)
    string(REPLACE "\n" "\r\n" HALVENT_TEXT "${HALVENT_TEXT}")
    file(WRITE ${CMAKE_BINARY_DIR}/${target} "${HALVENT_TEXT}")
    install(FILES ${CMAKE_BINARY_DIR}/${target} DESTINATION .)
endforeach()
# Eight characters, no line end: the five display options off, as the program writes them.
file(WRITE ${CMAKE_BINARY_DIR}/menu.cfg "00000000")
install(FILES ${CMAKE_BINARY_DIR}/menu.cfg DESTINATION .)

set(CPACK_PACKAGE_NAME halvent)
set(CPACK_PACKAGE_VENDOR "halvent")
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_SYSTEM_NAME win32)
endif()
include(CPack)
