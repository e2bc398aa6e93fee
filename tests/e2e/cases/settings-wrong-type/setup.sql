.read log-schema.sql
