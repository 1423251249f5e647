# Fails the docs target when Doxygen found a public class or struct without
# documentation; members without a comment are only counted, since many
# (plain getters) say all there is to say in their names.
#   cmake -DLOG=warnings.log -P CheckWarnings.cmake
file(STRINGS "${LOG}" warnings REGEX "warning:")
set(classes ${warnings})
list(FILTER classes INCLUDE REGEX "warning: Compound .* is not documented")
set(members ${warnings})
list(FILTER members INCLUDE REGEX "warning: Member .* is not documented")
list(LENGTH warnings all)
list(LENGTH members undocumented)
message(STATUS "Doxygen: ${all} warnings, ${undocumented} of them undocumented members (${LOG})")
if(classes)
  foreach(line IN LISTS classes)
    message(STATUS "${line}")
  endforeach()
  list(LENGTH classes count)
  message(FATAL_ERROR "${count} public classes or structs without documentation (listed above)")
endif()
