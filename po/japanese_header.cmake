# Turns msgen's copy of en.po into the Japanese catalogue's source.
file(READ ${FILE} text)
string(REPLACE "Language: en\\n" "Language: ja\\n" text "${text}")
string(REPLACE "Language-Team: English\\n" "Language-Team: Japanese\\n" text "${text}")
file(WRITE ${FILE} "${text}")
