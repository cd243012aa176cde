-- usage:
-- F:\Oracle\Ora817\bin>SQLLdr userid=zx_user/hvlemz@ZX control=F:\bulk\http3.ctl log=f:\bulk\http3.log
OPTIONS(ERRORS=1000,SILENT=FEEDBACK,ROWS=500)
LOAD DATA
INFILE 'ex.log.srt' "str '\r\n'"
APPEND
INTO TABLE raw_cache1
FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\''
( userip,
url CHAR(1024),
timestampid DATE "YYYY-MM-DD HH24:MI:SS"
)
