# kav_add_folder(folder): add_subdirectory that refuses a folder without its
# CMakeLists.txt instead of skipping it.
function(kav_add_folder folder)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
        message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt is missing")
    endif()
    add_subdirectory(${folder})
endfunction()
