// Force-included into the shipped programs' code (see CMakeLists.txt): the
// run time's std::string is instantiated where it is used, member by member,
// instead of being taken whole from libstdc++ (whose explicit instantiation
// also pulls in the exception machinery; together some 60 KB of the 32-bit
// program). -1 is the library's own setting for "no extern templates for
// basic_string only", without the assertions that usually come with it.
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
