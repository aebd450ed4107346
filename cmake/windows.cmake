# The Windows build (make windows): the core on the system's own interfaces,
# quorvel-cli, quorvel-card, the native window, the zip a user unpacks, and
# the core's tests, run under Wine.
set(QUORVEL_THIRD_PARTY "${CMAKE_BINARY_DIR}/third_party" CACHE PATH
  "Sources of the libraries Debian has for Linux only (pugixml, GoogleTest)")

# One self-contained executable each: no runtime DLLs to carry along.
add_link_options(-static -static-libgcc -static-libstdc++)
# Windows 7 and later; the "W" user interface; no min/max macros over std::.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX
  WIN32_LEAN_AND_MEAN)

# GCC 12 warns falsely on "text" + std::string temporaries once inlined
# (GCC bug 105651); nothing else is silenced.
add_compile_options(-Wno-restrict)

add_library(pugixml STATIC ${QUORVEL_THIRD_PARTY}/pugixml/src/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${QUORVEL_THIRD_PARTY}/pugixml/src)

# The header-only libraries of the build machine, without its other headers.
set(host_include ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${host_include})
foreach(dir CLI nlohmann)
  file(CREATE_LINK /usr/include/${dir} ${host_include}/${dir} SYMBOLIC)
endforeach()

target_link_libraries(quorvel_core PUBLIC pugixml wininet shlwapi ole32 oleaut32 uuid comdlg32)

add_executable(quorvel-cli src/cli/main.cpp src/cli/recognize_unavailable.cpp)
target_include_directories(quorvel-cli SYSTEM PRIVATE ${host_include})
target_link_libraries(quorvel-cli PRIVATE quorvel_core)

add_library(quorvel_card STATIC tools/card/card_server.cpp)
target_include_directories(quorvel_card PUBLIC tools/card)
target_link_libraries(quorvel_card PUBLIC quorvel_core ws2_32)
add_executable(quorvel-card tools/card/main.cpp)
target_include_directories(quorvel-card SYSTEM PRIVATE ${host_include})
target_link_libraries(quorvel-card PRIVATE quorvel_card)

# What a user unpacks: the programs and the demo catalogues and programs.
set(zip_root ${CMAKE_BINARY_DIR}/quorvel-windows-x64)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/quorvel-windows-x64.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quorvel-cli> $<TARGET_FILE:quorvel-card> ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data/demo ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip_root}/make_demo.py
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/copyright ${zip_root}/COPYRIGHT.txt
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CMAKE_BINARY_DIR}/quorvel-windows-x64.zip
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}
    ${CMAKE_COMMAND} -E tar cf quorvel-windows-x64.zip --format=zip quorvel-windows-x64
  DEPENDS quorvel-cli quorvel-card VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/quorvel-windows-x64.zip)

enable_testing()
add_subdirectory(tests)
