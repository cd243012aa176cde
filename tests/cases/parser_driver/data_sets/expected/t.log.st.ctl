7.0
5
1	SQLCHAR	0	255	","	22	a
2	SQLCHAR	0	255	","	22	b
3	SQLCHAR	0	255	","	22	c
4	SQLCHAR	0	255	","	7	logformat
5	SQLCHAR	0	255	"\r\n"	2	groupid
