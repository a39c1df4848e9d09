// What happens to an exception that nobody catches, in smooth.dll and in
// each program (their CMakeLists compile this file into every module that
// links the C++ runtime statically).
//
// The runtime's own handler prints the exception's type with its C++ name
// spelled out, and for that it carries the runtime's name demangler and the
// printf behind it: some 80 KB in every module. Defining the handler here
// keeps the linker from taking the runtime's. The message stays the same,
// except that the type's name is the compiler's encoded one.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

#include <cxxabi.h>

void __gnu_cxx::__verbose_terminate_handler()
{
	static bool terminating = false;

	if (terminating)
	{
		fputs("terminate called recursively\n", stderr);
		abort();
	}

	terminating = true;

	// Also called for a rethrow without an exception in flight.
	std::type_info *type = abi::__cxa_current_exception_type();

	if (type == nullptr)
	{
		fputs("terminate called without an active exception\n", stderr);
		abort();
	}

	fputs("terminate called after throwing an instance of '", stderr);
	fputs(type->name(), stderr);
	fputs("'\n", stderr);

	try
	{
		throw;
	}
	catch (const std::exception &exception)
	{
		fputs("  what():  ", stderr);
		fputs(exception.what(), stderr);
		fputs("\n", stderr);
	}
	catch (...)
	{
	}

	abort();
}
