# The program's icon, drawn from packaging/kvr7314.svg into PNG files at
# configure time, so the window icon needs no SVG support at run time (nor
# on Windows). KVR_ICON_QRC is the resource file that lists them.
find_program(KVR_RSVG_CONVERT rsvg-convert REQUIRED)
set(KVR_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/kvr7314.svg)
set(KVR_ICON_SIZES 16 24 32 48 64 128 256)
set(KVR_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KVR_ICON_SVG})
file(MAKE_DIRECTORY ${KVR_ICON_DIR})
set(icon_entries "")
foreach(size ${KVR_ICON_SIZES})
  set(png ${KVR_ICON_DIR}/kvr7314-${size}.png)
  if(NOT EXISTS ${png} OR ${KVR_ICON_SVG} IS_NEWER_THAN ${png})
    execute_process(COMMAND ${KVR_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${KVR_ICON_SVG}
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "rsvg-convert could not draw the icon at ${size} px")
    endif()
  endif()
  string(APPEND icon_entries "    <file>kvr7314-${size}.png</file>\n")
endforeach()
set(KVR_ICON_QRC ${KVR_ICON_DIR}/icons.qrc)
file(WRITE ${KVR_ICON_QRC}.new "<RCC>\n  <qresource prefix=\"/icons\">\n${icon_entries}  </qresource>\n</RCC>\n")
configure_file(${KVR_ICON_QRC}.new ${KVR_ICON_QRC} COPYONLY)

# On Windows the same pictures as the executables' icon resource, which
# Explorer shows for the programs and for .kvr files (KVR_ICON_RC).
if(WIN32)
  find_program(KVR_ICOTOOL icotool REQUIRED)
  set(ico ${KVR_ICON_DIR}/kvr7314.ico)
  execute_process(COMMAND ${KVR_ICOTOOL} -c -o ${ico} ${KVR_ICON_DIR}/kvr7314-16.png ${KVR_ICON_DIR}/kvr7314-32.png
                          ${KVR_ICON_DIR}/kvr7314-48.png ${KVR_ICON_DIR}/kvr7314-256.png
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "icotool could not make the Windows icon")
  endif()
  set(KVR_ICON_RC ${KVR_ICON_DIR}/kvr7314.rc)
  file(WRITE ${KVR_ICON_RC} "1 ICON \"${ico}\"\n")
endif()
