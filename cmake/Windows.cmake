# The Windows program, hardened, static, with its resources; and the programs
# that test it under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# The compile commands and the linker's map stay beside Quillbox.exe: the exe is
# stripped, and tests/pe/check_pe.py reads from them how it was made.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
set(QB_HARDENING -fstack-protector-strong -ffunction-sections -fdata-sections
                 $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
add_compile_options(${QB_HARDENING})
# frmMain's logic was made before this file is read, so the line above does not reach it.
target_compile_options(quillbox_form PRIVATE ${QB_HARDENING})
set_target_properties(quillbox_form PROPERTIES EXPORT_COMPILE_COMMANDS ON)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
add_link_options(-static -fstack-protector-strong -Wl,--gc-sections -Wl,--no-insert-timestamp
                 -Wl,--dynamicbase -Wl,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
else()
    # 4 GB of address space instead of 2 on 64-bit Windows: room for the text in
    # the program and in the field at once up to the longest string of 32-bit
    # code, 536,870,911 characters (measured: docs/benchmarks.md). Nothing here
    # keeps pointers in signed integers.
    add_link_options(-Wl,--large-address-aware)
endif()

add_library(quillbox_win32 STATIC platform/win32/Win32Platform.cpp platform/win32/Files.cpp)
target_link_libraries(quillbox_win32 PUBLIC quillbox_form shell32)

# The icon is drawn as text in resources/icon/; tools/icon/make_ico.py makes the
# .ico that the resource script takes (windres finds it through the include path),
# and its images enlarged as PNG files, of which the 32-pixel one, 256 pixels
# wide, is the logo that Windows 11's menu package names (tools/pack).
set(QB_PYTHON3 /usr/bin/python3 CACHE FILEPATH "The Python 3 that runs the build's own tools")
set(QB_ICON ${CMAKE_CURRENT_BINARY_DIR}/icon/quillbox.ico)
set(QB_ICON_MAPS ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon/quillbox-32.txt
                 ${CMAKE_CURRENT_SOURCE_DIR}/resources/icon/quillbox-16.txt)
add_custom_command(OUTPUT ${QB_ICON}
    BYPRODUCTS ${CMAKE_CURRENT_BINARY_DIR}/icon/quillbox-32.png ${CMAKE_CURRENT_BINARY_DIR}/icon/quillbox-16.png
    COMMAND ${QB_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/tools/icon/make_ico.py --png ${CMAKE_CURRENT_BINARY_DIR}/icon
            ${QB_ICON} ${QB_ICON_MAPS}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/icon/make_ico.py ${QB_ICON_MAPS}
    COMMENT "Making the icon from resources/icon/" VERBATIM)

add_executable(Quillbox WIN32 app/Main.cpp resources/Quillbox.rc ${QB_ICON})
target_include_directories(Quillbox PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/icon)
target_link_libraries(Quillbox PRIVATE quillbox_win32)
target_link_options(Quillbox PRIVATE -municode -mwindows $<$<NOT:$<CONFIG:Debug>>:-s>
                    LINKER:-Map=$<TARGET_FILE_DIR:Quillbox>/Quillbox.map,--cref)
# Windows 10 is the oldest it runs on (it imports DPI functions of version 1607):
# the header says so, and older Windows refuses to start it. Remote Desktop hosts
# give it no compatibility layer, which it does not need.
target_link_options(Quillbox PRIVATE LINKER:--major-os-version=10,--minor-os-version=0
                    LINKER:--major-subsystem-version=10,--minor-subsystem-version=0 LINKER:--tsaware)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # No code in the image registers an exception handler at fs:0 (GCC's i686
    # exceptions use DWARF tables), so Windows may take none of it for one.
    target_link_options(Quillbox PRIVATE LINKER:--no-seh)
endif()
set_property(SOURCE resources/Quillbox.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/resources/Quillbox.manifest ${QB_ICON})

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_subdirectory(shell)
endif()
add_subdirectory(tools/wine)
add_subdirectory(tools/bench)

option(QB_WINE_TESTS "Build the programs that test Quillbox under Wine" ON)
if(QB_WINE_TESTS)
    enable_testing()
    # GoogleTest from Debian's sources, built for Windows.
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    add_subdirectory(tests/win)
    add_subdirectory(tests/e2e)
endif()
