# CPack's External generator: the staged release folder becomes the MSI. The
# registry table comes from the modules themselves (qorreg reads their type
# libraries); wixl builds the package, msibuild adds what wixl cannot express.
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
set(work "${CPACK_TOPLEVEL_DIRECTORY}/msi")
set(msi "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi")
file(MAKE_DIRECTORY "${work}")
if(CPACK_QOR_ARCH STREQUAL "x64")
  set(bits 64-bit)
else()
  set(bits 32-bit)
endif()

# Debug files stay in the zip. The tel:/callto: handler is an optional feature
# of its own, off unless asked for (ADDLOCAL=CallHandler or CALLHANDLER=1), with
# the rows of its registration table written machine-wide.
execute_process(
  COMMAND "${CPACK_QOR_QORREG}" package --arch ${CPACK_QOR_ARCH}
          --version ${CPACK_PACKAGE_VERSION} --product "qorIcon (${bits})"
          --manufacturer "${CPACK_QOR_COMPANY}" --upgrade-code "${CPACK_QOR_UPGRADE_CODE}"
          --folder "${CPACK_QOR_COMPANY}\\qorIcon" --stage "${stage}" --exclude .debug
          --feature "CallHandler=Call links=Opens tel: and callto: links with the client=qorcall.exe"
          --link-handler qorcall.exe
          --wxs "${work}/qorIcon.wxs" --sql "${work}/conditions.sql"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "qorreg could not describe the package")
endif()
execute_process(COMMAND "${CPACK_QOR_WIXL}" -a ${CPACK_QOR_ARCH} -o "${msi}" "${work}/qorIcon.wxs"
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "wixl failed on ${work}/qorIcon.wxs")
endif()
file(STRINGS "${work}/conditions.sql" statements)
foreach(statement IN LISTS statements)
  execute_process(COMMAND "${CPACK_QOR_MSIBUILD}" "${msi}" -q "${statement}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "msibuild failed: ${statement}")
  endif()
endforeach()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${msi}")
