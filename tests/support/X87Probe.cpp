// Compiled for the x87 unit on purpose, never linked: the floating-point check must find its
// addition, or it would pass on any code.

double X87ProbeMean(double a, double b);

double X87ProbeMean(double a, double b) { return (a + b) / 2; }
