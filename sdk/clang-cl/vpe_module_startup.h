// The static objects of the module, for its entry points (vpe_static_objects.cpp).
#pragma once

extern "C" {
// Runs the module's static constructors, in the order the compiler listed them.
void __cdecl VpeRunStaticConstructors();
// Runs the destructors registered since, the last registered first; returns 0.
int __cdecl VpeRunStaticDestructors();
}
