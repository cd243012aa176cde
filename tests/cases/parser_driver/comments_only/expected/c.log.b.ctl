7.0
10
1	SQLCHAR	0	255	","	1	timestampid
2	SQLCHAR	0	255	","	2	groupid
3	SQLCHAR	0	255	","	3	userip
4	SQLCHAR	0	255	","	4	username
5	SQLCHAR	0	255	","	5	url
6	SQLCHAR	0	255	","	6	method
7	SQLCHAR	0	255	","	7	logformat
8	SQLCHAR	0	255	","	8	billmeasure1
9	SQLCHAR	0	255	","	9	billmeasure2
10	SQLCHAR	0	255	"\r\n"	10	billmeasure3
