# Run by CPack before it builds the package: strips every ELF file of the staging folder
# (targets are stripped by CPACK_STRIP_FILES; files installed with the program folder are not).
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(f IN LISTS staged)
    if(IS_SYMLINK "${f}")
        continue()
    endif()
    file(READ "${f}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(COMMAND strip --strip-unneeded --remove-section=.comment --remove-section=.note "${f}"
            RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "strip failed on ${f}")
        endif()
    endif()
endforeach()
