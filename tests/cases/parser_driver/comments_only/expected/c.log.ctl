7.0
5
1	SQLCHAR	0	255	","	41	a
2	SQLCHAR	0	255	","	41	b
3	SQLCHAR	0	255	","	41	c
4	SQLCHAR	0	255	","	6	logformat
5	SQLCHAR	0	255	"\r\n"	25	refcount
