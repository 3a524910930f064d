#!/bin/sh
echo "hello, world"
