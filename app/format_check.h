// Checking a configured printf format against the arguments the launcher gives it.
// Values such as pfCfgName, pfURL and shellcfgURL are formats written by whoever
// configures the launcher; one that asks for other arguments than those given would
// read memory it was never handed, so it is checked before it is used.
#pragma once

// True when each conversion of format takes, in order, an argument of the kind that
// kinds lists at its place: 's' a text, 'd' an int.  A format with fewer conversions
// than arguments fits (the rest are not read); "%%" is no conversion.  Refused: more
// conversions than arguments, a conversion of the wrong kind, "%n", "*" widths,
// positional and length-modified conversions, widths or precisions above 999, and a
// "%" at the end.
bool FormatFitsArguments(const char* format, const char* kinds);
