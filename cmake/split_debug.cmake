# Run after linking the shipped exe (cmake -DOBJCOPY=... -DEXE=... -P):
# its debug information moves to <exe>.debug beside it, and the exe keeps no
# debug sections and no symbols, only a debug link (the file's name and CRC)
# for support to find it.
get_filename_component(dir ${EXE} DIRECTORY)
get_filename_component(name ${EXE} NAME)
# objcopy stamps the PE header with SOURCE_DATE_EPOCH, else with the current
# time. 0 leaves the header undated, as the linker's --no-insert-timestamp
# does, so the debug file, its CRC and the exe come out the same every time.
set(ENV{SOURCE_DATE_EPOCH} 0)
file(SIZE ${EXE} linked)
foreach(step "--only-keep-debug;${name};${name}.debug"
             "--strip-all;--add-gnu-debuglink=${name}.debug;${name};${name}.stripped")
    execute_process(COMMAND ${OBJCOPY} ${step} WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE ${EXE} ${EXE}.stripped)
        message(FATAL_ERROR "objcopy ${step} failed (${rc})")
    endif()
endforeach()
file(RENAME ${EXE}.stripped ${EXE})
file(SIZE ${EXE} stripped)
message(STATUS "${name}: ${linked} bytes as linked, ${stripped} stripped; debug information in ${name}.debug")
