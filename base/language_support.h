// The language-support declarations the framework's headers use (placement new, std::nothrow,
// type_info). With a C++ runtime they come from its headers; a build without the C++ standard
// library (VPE_NO_STDLIB, the MSVC-ABI build on Wine's C headers) takes them from the small
// support header that build puts on its include path.
#pragma once

#ifdef VPE_NO_STDLIB
#include "vpe_cxx_support.h"
#else
#include <new>
#include <typeinfo>
#endif
