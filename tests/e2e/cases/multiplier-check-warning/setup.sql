.read check-log.sql
