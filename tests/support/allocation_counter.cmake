# The counting global operator new and delete (allocation_counter.h). A library of its own,
# since replacing operator new must reach only the programs that ask for it: the limit tests
# and the benchmarks, which include this file from their own folders.
include_guard(GLOBAL)
add_library(cvm_allocation_counter STATIC ${CMAKE_CURRENT_LIST_DIR}/allocation_counter.cpp)
target_include_directories(cvm_allocation_counter PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(cvm_allocation_counter PRIVATE cvm_warnings)
