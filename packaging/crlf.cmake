# cmake -DIN=<text> -DOUT=<copy> -P crlf.cmake: a copy with CRLF line ends, which Notepad on
# the older Windows versions needs to show the lines apart.
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
