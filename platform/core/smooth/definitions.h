// Basic definitions shared by every part of the platform layer.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  if defined(SMOOTH_BUILDING)
#    define SMOOTH_API __declspec(dllexport)
#  else
#    define SMOOTH_API __declspec(dllimport)
#  endif
#else
#  define SMOOTH_API __attribute__((visibility("default")))
#endif

namespace smooth
{
	typedef int32_t  Int;
	typedef int64_t  Int64;
	typedef uint32_t UnsignedInt;
	typedef uint8_t  Byte;
	typedef bool     Bool;

	// Status values returned by operations of the platform and of the programs.
	inline Int Success() { return 0; }
	inline Int Error()   { return -1; }

	// Start-up values set by the program entry before Init (handles are the
	// native HINSTANCE values on Windows; unused elsewhere).
	extern SMOOTH_API void *hInstance;
	extern SMOOTH_API void *hPrevInstance;
	extern SMOOTH_API Int   iCmdShow;

	// Initialises the platform (COM, common controls, GDI+ on Windows).
	// Safe to call more than once; every Init is paired with one Free.
	SMOOTH_API Int Init();
	SMOOTH_API Int Free();

	namespace Setup
	{
		// When set, Windows calls that exist in a wide and an ANSI form use
		// the wide form. Set by default.
		extern SMOOTH_API Bool enableUnicode;
	}

	namespace Math
	{
		// Rounds half away from zero.
		SMOOTH_API Int64 Round(double value);
	}

	// Base of every object released with DeleteObject (widgets, windows,
	// threads). DeleteObject on a null pointer does nothing.
	class SMOOTH_API Object
	{
		public:
					 Object();
			virtual		~Object();

			static Int	 DeleteObject(Object *object);
	};
}
