7.0
9
1	SQLCHAR	0	255	","	3	userip
2	SQLCHAR	0	255	","	1	timestampid
3	SQLCHAR	0	255	","	5	url
4	SQLCHAR	0	255	","	9	filesize
5	SQLCHAR	0	255	","	16	playtime
6	SQLCHAR	0	255	","	11	bytecount
7	SQLCHAR	0	255	","	22	status
8	SQLCHAR	0	255	","	2	groupid
9	SQLCHAR	0	255	"\r\n"	22	refcount
