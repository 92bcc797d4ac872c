# Fails unless the shared library LIB exports exactly the four object-library entry points.
execute_process(COMMAND nm -D --defined-only --format=posix ${LIB}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "(^|\n)[^ \n]+" names "${out}")
set(found "")
foreach(n ${names})
  string(STRIP "${n}" n)
  list(APPEND found ${n})
endforeach()
list(SORT found)
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "${LIB} exports: ${found}\nexpected only: ${expected}")
endif()
message(STATUS "${LIB}: ${found}")

# The numbered errors it throws are the platform library's: the engine holds no type information
# of its own for them, so a host's catch and the engine's throw name one type.
execute_process(COMMAND nm -C --defined-only ${LIB} OUTPUT_VARIABLE defined RESULT_VARIABLE rc)
foreach(type vb::NumberedError vb::RuntimeError db::Error com::Error)
  string(FIND "${defined}" "typeinfo for ${type}\n" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${LIB} defines its own type information for ${type}")
  endif()
endforeach()
