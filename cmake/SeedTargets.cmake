# Flags for the project's own code. -fexec-charset makes every ordinary string
# literal GBK bytes at run time, the encoding of every text in the program.
function(seed_compile_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Werror -finput-charset=UTF-8 -fexec-charset=CP936)
endfunction()

# seed_library(name [DIRS folder...] [FILES file...] [EXCLUDE file...] DEPS target...)
# A static library of the .cpp files directly inside the folders, plus the
# files named. A folder with no sources yet yields no target; dependants skip
# it.
function(seed_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;FILES;EXCLUDE;DEPS" ${ARGN})
  set(sources)
  foreach(file IN LISTS ARG_FILES)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/${file})
  endforeach()
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  foreach(file IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/${file})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  seed_compile_options(${name})
  foreach(dep IN LISTS ARG_DEPS)
    if(TARGET ${dep})
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
endfunction()

# Every target named that exists, for tests and benchmarks that may touch any
# layer.
function(seed_existing out)
  set(result)
  foreach(candidate IN LISTS ARGN)
    if(TARGET ${candidate})
      list(APPEND result ${candidate})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Test and benchmark programs live in folders of their own and find the
# built-in engine definitions beside themselves, as the program does.
function(seed_copy_engine_definitions folder)
  file(GLOB definitions CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/engines/*.engine)
  foreach(definition IN LISTS definitions)
    get_filename_component(name ${definition} NAME)
    configure_file(${definition} ${folder}/res/engines/${name} COPYONLY)
  endforeach()
endfunction()
