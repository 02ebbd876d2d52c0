#pragma once
// The D2XX library uses the stdcall convention on 32-bit Windows; elsewhere there is only
// one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define TAVELO_STDCALL __stdcall
#else
#define TAVELO_STDCALL
#endif
