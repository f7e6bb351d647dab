#pragma once

namespace pelmora {

// Makes sure the resources of pelmora_res (":/pages", ":/bitmaps",
// ":/icons") are registered. Linking pelmora_res already registers them at
// start-up; a program that reaches the library in a way that drops its
// resource object (a shared library, a plugin) calls this first. Safe to
// call any number of times.
void InitWizardResources();

} // namespace pelmora
