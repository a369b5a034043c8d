# Writes a UTF-8 text file so that Notepad shows it right on any Windows:
#   cmake -DIN=source.txt -DOUT=target.txt -P notepad-text.cmake
# Notepad reads a file without a byte-order mark in the system's ANSI code page (GBK on a
# Chinese Windows), which garbles UTF-8; with the mark it reads UTF-8 whatever the code page.
# Notepad before Windows 10 shows lone LF line ends as one long line, so lines end in CR LF.
if(NOT IN OR NOT OUT)
    message(FATAL_ERROR "usage: cmake -DIN=source -DOUT=target -P notepad-text.cmake")
endif()
string(ASCII 239 187 191 bom)
file(READ "${IN}" text)
string(FIND "${text}" "${bom}" at)
if(at EQUAL 0)
    string(LENGTH "${bom}" bom_length)
    string(SUBSTRING "${text}" ${bom_length} -1 text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${bom}${text}")
