# Run at install: each module's debug information goes into <module>.debug beside
# it, the module is stripped and carries a debug link (name and checksum) to that
# file, which debuggers follow.
set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
foreach(m ${QOR_MODULES})
  set(file "${dir}/${m}")
  execute_process(COMMAND ${QOR_OBJCOPY} --only-keep-debug ${file} ${file}.debug
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${QOR_STRIP} --strip-debug --strip-unneeded ${file}
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${QOR_OBJCOPY} --add-gnu-debuglink=${m}.debug ${m}
                  WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "Split debug information: ${m}.debug")
endforeach()
