// What the compilers of both targets spell differently: the one place that knows them.
#pragma once

/// Keeps a function a body of its own that every call enters: the text loaders are
/// redirected by patching their entry, and CurrentCodeAddress answers its return address.
/// GCC's noipa also forbids the clones its interprocedural passes may make of a function
/// and call instead of it, which noinline alone allows.
#if defined(_MSC_VER) && !defined(__clang__)
#define SA_NOINLINE __declspec(noinline)
#elif defined(__clang__)
#define SA_NOINLINE __attribute__((noinline))
#else
#define SA_NOINLINE __attribute__((noipa))
#endif

/// The file and line of a call, as a default argument's value. std::source_location says
/// the same, but clang 14 cannot build it with the GCC 12 standard library the fuzzers use.
#define SA_CALLER_FILE __builtin_FILE()
#define SA_CALLER_LINE __builtin_LINE()
