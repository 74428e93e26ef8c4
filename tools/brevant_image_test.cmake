# Runs the built brevant-image through its commands: cmake -DTOOL=<path> -DWORK=<dir> -P this.
cmake_minimum_required(VERSION 3.22)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run expected_exit)
  execute_process(COMMAND ${TOOL} ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT code EQUAL expected_exit)
    message(FATAL_ERROR "brevant-image ${ARGN}: exit ${code}, expected ${expected_exit}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_output expected)
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "expected output '${expected}', got '${out}'")
  endif()
endfunction()

# pack and unpack give back the same bytes; unpack prints the decoded count.
string(REPEAT "The writer keeps every stroke. 0123456789 " 200 text)
file(WRITE ${WORK}/raw.bin "${text}")
run(0 pack ${WORK}/raw.bin ${WORK}/packed.lzari)
run(0 unpack ${WORK}/packed.lzari ${WORK}/unpacked.bin)
string(LENGTH "${text}" length)
expect_output("${length}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/raw.bin ${WORK}/unpacked.bin RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "unpack did not give back what pack was given")
endif()

# A file that is no container (its first bytes announce far more than the rest could hold).
run(1 unpack ${WORK}/raw.bin ${WORK}/ignored.bin)

# crc prints the register over the file.
file(WRITE ${WORK}/check.txt "123456789")
run(0 crc ${WORK}/check.txt)
expect_output("340BC6D9")

# hex loads into a 0xFF-filled image and prints the extent.
file(WRITE ${WORK}/small.hex ":0410100001020304D2\r\n:00000001FF\r\n")
run(0 hex ${WORK}/small.hex ${WORK}/flat.bin --base 0x1000 --size 64)
expect_output("4")
file(SIZE ${WORK}/flat.bin flatSize)
if(NOT flatSize EQUAL 64)
  message(FATAL_ERROR "the flat image has ${flatSize} bytes, not 64")
endif()
file(READ ${WORK}/flat.bin flat HEX)
string(SUBSTRING "${flat}" 28 12 around)
if(NOT around STREQUAL "ffff01020304")
  message(FATAL_ERROR "the flat image holds ${around} around offset 0x10")
endif()
file(WRITE ${WORK}/bad.hex ":0410100001020304D3\r\n:00000001FF\r\n")
run(1 hex ${WORK}/bad.hex ${WORK}/flat.bin --base 0x1000 --size 64)
expect_output("-3")

# list shows the nine carried images; extract writes one decoded or as carried.
run(0 list)
foreach(id 169 170 171 172 173 174 189 190 191)
  if(NOT out MATCHES "\n${id} ")
    message(FATAL_ERROR "list does not show image ${id}:\n${out}")
  endif()
endforeach()
run(0 extract 174 ${WORK}/scanner.hex)
file(SIZE ${WORK}/scanner.hex scannerSize)
if(NOT scannerSize EQUAL 122152)
  message(FATAL_ERROR "the extracted scanner text has ${scannerSize} bytes")
endif()
run(0 extract 174 ${WORK}/scanner.lzari --raw)
run(0 unpack ${WORK}/scanner.lzari ${WORK}/scanner-again.hex)
expect_output("122152")
run(1 extract 175 ${WORK}/none.bin)

# Usage errors.
run(2)
run(2 frobnicate)
run(2 pack ${WORK}/raw.bin)
run(2 hex ${WORK}/small.hex ${WORK}/flat.bin --base nonsense)
run(0 --help)
