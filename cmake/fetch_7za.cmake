# Fetches the genuine 7-Zip standalone console extractor for Windows (7-Zip 21.07), as the npm package
# 7zip-bin 5.2.0 ships it, and checks it against its known SHA-256.
# Run as: cmake -DWORK=<folder> -DARCH=ia32|x64 -DOUT=<path of 7za.exe> -P fetch_7za.cmake
set(package 7zip-bin@5.2.0)
set(expected_sha256_ia32 31fd52f8996986623cf52c3b4d0f7ac74a9dec63fc16c902cef673eed550c435)
set(expected_sha256_x64 b0cfdeaf429f5cc53f85123dd8f5a5feb92c19d31aa34df257edf9a26be05f95)
if(NOT DEFINED expected_sha256_${ARCH})
  message(FATAL_ERROR "ARCH must be ia32 or x64, not '${ARCH}'")
endif()
set(expected_sha256 ${expected_sha256_${ARCH}})
set(member package/win/${ARCH}/7za.exe)

file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND npm pack ${package} --silent
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE tarball
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0 OR NOT EXISTS ${WORK}/${tarball})
  message(FATAL_ERROR "npm pack ${package} failed (${result}): is npm installed and the registry reachable?")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xzf ${tarball} ${member} package/LICENSE.txt
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result)
file(SHA256 ${WORK}/${member} actual_sha256)
if(NOT result EQUAL 0 OR NOT actual_sha256 STREQUAL expected_sha256)
  message(FATAL_ERROR "${member} from ${package} has SHA-256 ${actual_sha256}, expected ${expected_sha256}")
endif()
file(COPY_FILE ${WORK}/${member} ${OUT})
