# Runs the generators of the bundle's images and sounds (scripts/make-*.py)
# on a copy of scripts/ and holds what they write to the files in Resources
# (run with cmake -P):
#   -DSOURCE=<source dir> -DWORK=<empty folder to use> -DPYTHON=<python3>
# A generator that fails, or draws other pixels (other bytes, for a file that
# is no picture) than the bundle holds, fails
# the test: the bundle is what the scripts draw, and a script that no longer
# runs cannot redraw an image when its shape changes.

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK})
# The scripts write beside their own folder, into ../Resources.
file(MAKE_DIRECTORY ${WORK}/scripts ${WORK}/Resources/Sounds
     ${WORK}/Resources/KAVProgressHUD.bundle)
file(GLOB modules ${SOURCE}/scripts/*.py)
file(COPY ${modules} DESTINATION ${WORK}/scripts)

set(failures "")
file(GLOB generators RELATIVE ${WORK}/scripts ${WORK}/scripts/make-*.py)
if(NOT generators)
    string(APPEND failures "no scripts/make-*.py found\n")
endif()
foreach(generator IN LISTS generators)
    execute_process(COMMAND ${PYTHON} ${WORK}/scripts/${generator}
                    WORKING_DIRECTORY ${WORK}/scripts
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        string(APPEND failures "${generator} failed (${status}):\n${err}\n")
    endif()
endforeach()

file(GLOB_RECURSE drawn RELATIVE ${WORK}/Resources ${WORK}/Resources/*)
if(NOT drawn)
    string(APPEND failures "the scripts wrote nothing\n")
endif()
foreach(file IN LISTS drawn)
    if(NOT EXISTS ${SOURCE}/Resources/${file})
        string(APPEND failures "${file} is drawn but not in Resources\n")
        continue()
    endif()
    # A picture by its pixels: another zlib may compress the same rows to
    # other bytes.
    if(file MATCHES "\\.png$")
        execute_process(COMMAND ${PYTHON} ${SOURCE}/cmake/KavSamePicture.py
                                ${WORK}/Resources/${file} ${SOURCE}/Resources/${file}
                        RESULT_VARIABLE differs)
    else()
        execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/Resources/${file}
                                ${SOURCE}/Resources/${file}
                        RESULT_VARIABLE differs)
    endif()
    if(NOT differs EQUAL 0)
        string(APPEND failures "${file} differs from Resources/${file}\n")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "The bundle's generators do not draw the bundle:\n${failures}")
endif()
