# The Windows build (make windows): the core on the system's own interfaces,
# quorvel-cli, quorvel-card, the native window, the zip a user unpacks, and
# the core's tests, run under Wine.
set(QUORVEL_THIRD_PARTY "${CMAKE_BINARY_DIR}/third_party" CACHE PATH
  "Sources of the libraries Debian has for Linux only (pugixml, GoogleTest)")

add_library(pugixml STATIC ${QUORVEL_THIRD_PARTY}/pugixml/src/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${QUORVEL_THIRD_PARTY}/pugixml/src)

# The header-only libraries of the build machine, without its other headers.
set(host_include ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${host_include})
foreach(dir CLI nlohmann)
  file(CREATE_LINK /usr/include/${dir} ${host_include}/${dir} SYMBOLIC)
endforeach()

# The Windows recogniser: SAPI 5 on the catalogue files themselves.
target_sources(quorvel_core PRIVATE src/speech/engine/sapi_engine.cpp)
target_link_libraries(quorvel_core PUBLIC pugixml wininet shlwapi ole32 oleaut32 uuid sapi comdlg32)

# The window: native dialogs from the same templates.
add_library(quorvel_win32 STATIC src/win32/dialog_builder.cpp src/win32/win32_dialog.cpp)
target_link_libraries(quorvel_win32 PUBLIC quorvel_core user32 gdi32 comdlg32)
add_executable(Quorvel WIN32 src/win32/main.cpp res/windows/quorvel.rc)
target_link_options(Quorvel PRIVATE -municode)
target_link_libraries(Quorvel PRIVATE quorvel_win32)

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
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Quorvel> $<TARGET_FILE:quorvel-cli>
    $<TARGET_FILE:quorvel-card> ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data/demo ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip_root}/make_demo.py
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/copyright ${zip_root}/COPYRIGHT.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/windows/README.txt ${zip_root}/README.txt
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CMAKE_BINARY_DIR}/quorvel-windows-x64.zip
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}
    ${CMAKE_COMMAND} -E tar cf quorvel-windows-x64.zip --format=zip quorvel-windows-x64
  DEPENDS Quorvel quorvel-cli quorvel-card res/windows/README.txt VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/quorvel-windows-x64.zip)

enable_testing()
add_subdirectory(tests)
