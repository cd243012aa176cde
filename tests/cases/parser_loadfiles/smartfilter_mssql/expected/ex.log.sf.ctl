7.0
7
1	SQLCHAR	0	255	","	1	timestampid
2	SQLCHAR	0	255	","	3	userip
3	SQLCHAR	0	255	","	4	username
4	SQLCHAR	0	255	","	5	url
5	SQLCHAR	0	255	","	8	category
6	SQLCHAR	0	255	","	9	result
7	SQLCHAR	0	255	"\r\n"	2	groupid
