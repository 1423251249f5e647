#pragma once
// BATCHPLANT_FOR_EACH(macro, a, b, c) expands to macro(a) macro(b) macro(c):
// for lists written once where each element needs its own code or rows.

// Up to 256 arguments: each BATCHPLANT_EXPAND level rescans four times.
#define BATCHPLANT_PARENS ()
#define BATCHPLANT_EXPAND(...)                                                                                         \
    BATCHPLANT_EXPAND3(BATCHPLANT_EXPAND3(BATCHPLANT_EXPAND3(BATCHPLANT_EXPAND3(__VA_ARGS__))))
#define BATCHPLANT_EXPAND3(...)                                                                                        \
    BATCHPLANT_EXPAND2(BATCHPLANT_EXPAND2(BATCHPLANT_EXPAND2(BATCHPLANT_EXPAND2(__VA_ARGS__))))
#define BATCHPLANT_EXPAND2(...)                                                                                        \
    BATCHPLANT_EXPAND1(BATCHPLANT_EXPAND1(BATCHPLANT_EXPAND1(BATCHPLANT_EXPAND1(__VA_ARGS__))))
#define BATCHPLANT_EXPAND1(...) __VA_ARGS__
#define BATCHPLANT_FOR_EACH(macro, ...) __VA_OPT__(BATCHPLANT_EXPAND(BATCHPLANT_FOR_EACH_STEP(macro, __VA_ARGS__)))
#define BATCHPLANT_FOR_EACH_STEP(macro, first, ...)                                                                    \
    macro(first) __VA_OPT__(BATCHPLANT_FOR_EACH_AGAIN BATCHPLANT_PARENS(macro, __VA_ARGS__))
#define BATCHPLANT_FOR_EACH_AGAIN() BATCHPLANT_FOR_EACH_STEP
