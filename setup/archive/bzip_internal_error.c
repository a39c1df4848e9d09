/* libbz2 is built without its stdio layer (cmake/dependencies.cmake), and
 * then reports a broken invariant of its own (never bad input) through this
 * function instead of printing it. As the library's own report does, it ends
 * the program with status 3. */
#include <stdio.h>
#include <stdlib.h>

void bz_internal_error(int errcode)
{
	char	 digits[12];
	int	 n = sizeof(digits) - 1;
	unsigned value = errcode < 0 ? 0u - (unsigned) errcode : (unsigned) errcode;

	digits[n] = 0;

	do
	{
		digits[--n] = (char) ('0' + value % 10);
		value /= 10;
	}
	while (value != 0);

	if (errcode < 0) digits[--n] = '-';

	fputs("\n\nbzip2/libbzip2: internal error number ", stderr);
	fputs(digits + n, stderr);
	fputs(".\n", stderr);

	exit(3);
}
